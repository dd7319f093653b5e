REM ---------------------------------------------------------------------
REM  hr.sql: creates the human resources schema and loads its rows.
REM  Run as the schema's owner:  @hr.sql
REM ---------------------------------------------------------------------
SET ECHO OFF
SET VERIFY OFF
SET FEEDBACK 1
SET LINESIZE 100
SET PAGESIZE 100
SET TRIMSPOOL ON
WHENEVER SQLERROR EXIT FAILURE ROLLBACK
ALTER SESSION SET NLS_LANGUAGE = American;
DEFINE schema_title = 'human resources'
PROMPT
PROMPT Creating the &schema_title schema ...

-- A human-resources schema: regions, countries, locations, departments,
-- jobs, employees and their job history. Keys are added after the tables,
-- numbers come from sequences, and departments and employees refer to each
-- other, so one of the two keys is enabled only after the rows are in. A
-- procedure and a trigger close it; ocilite keeps them without running them.

CREATE TABLE regions
  ( region_id      NUMBER CONSTRAINT region_id_nn NOT NULL
  , region_name    VARCHAR2(25)
  );

CREATE UNIQUE INDEX reg_id_pk ON regions (region_id);

ALTER TABLE regions ADD ( CONSTRAINT reg_id_pk PRIMARY KEY (region_id) );

CREATE TABLE countries
  ( country_id      CHAR(2) CONSTRAINT country_id_nn NOT NULL
  , country_name    VARCHAR2(40)
  , region_id       NUMBER
  , CONSTRAINT country_c_id_pk PRIMARY KEY (country_id)
  )
  ORGANIZATION INDEX;

ALTER TABLE countries
  ADD ( CONSTRAINT countr_reg_fk FOREIGN KEY (region_id) REFERENCES regions (region_id) );

CREATE TABLE locations
  ( location_id    NUMBER(4)
  , street_address VARCHAR2(40)
  , postal_code    VARCHAR2(12)
  , city           VARCHAR2(30) CONSTRAINT loc_city_nn NOT NULL
  , state_province VARCHAR2(25)
  , country_id     CHAR(2)
  ) TABLESPACE users PCTFREE 10 STORAGE (INITIAL 64K NEXT 64K) LOGGING;

CREATE UNIQUE INDEX loc_id_pk ON locations (location_id);

ALTER TABLE locations
  ADD ( CONSTRAINT loc_id_pk PRIMARY KEY (location_id)
      , CONSTRAINT loc_c_id_fk FOREIGN KEY (country_id) REFERENCES countries (country_id) );

CREATE SEQUENCE locations_seq START WITH 1300 INCREMENT BY 100 MAXVALUE 9900 NOCACHE NOCYCLE;

CREATE TABLE departments
  ( department_id    NUMBER(4)
  , department_name  VARCHAR2(30) CONSTRAINT dept_name_nn NOT NULL
  , manager_id       NUMBER(6)
  , location_id      NUMBER(4)
  );

CREATE UNIQUE INDEX dept_id_pk ON departments (department_id);

ALTER TABLE departments
  ADD ( CONSTRAINT dept_id_pk PRIMARY KEY (department_id)
      , CONSTRAINT dept_loc_fk FOREIGN KEY (location_id) REFERENCES locations (location_id) );

CREATE SEQUENCE departments_seq START WITH 280 INCREMENT BY 10 MAXVALUE 9990 NOCACHE NOCYCLE;

CREATE TABLE jobs
  ( job_id         VARCHAR2(10)
  , job_title      VARCHAR2(35) CONSTRAINT job_title_nn NOT NULL
  , min_salary     NUMBER(6)
  , max_salary     NUMBER(6)
  );

CREATE UNIQUE INDEX job_id_pk ON jobs (job_id);

ALTER TABLE jobs ADD ( CONSTRAINT job_id_pk PRIMARY KEY (job_id) );

CREATE TABLE employees
  ( employee_id    NUMBER(6)
  , first_name     VARCHAR2(20)
  , last_name      VARCHAR2(25) CONSTRAINT emp_last_name_nn NOT NULL
  , email          VARCHAR2(25) CONSTRAINT emp_email_nn NOT NULL
  , phone_number   VARCHAR2(20)
  , hire_date      DATE CONSTRAINT emp_hire_date_nn NOT NULL
  , job_id         VARCHAR2(10) CONSTRAINT emp_job_nn NOT NULL
  , salary         NUMBER(8,2)
  , commission_pct NUMBER(2,2)
  , manager_id     NUMBER(6)
  , department_id  NUMBER(4)
  , CONSTRAINT emp_salary_min CHECK (salary > 0)
  , CONSTRAINT emp_email_uk UNIQUE (email)
  );

CREATE UNIQUE INDEX emp_emp_id_pk ON employees (employee_id);

ALTER TABLE employees
  ADD ( CONSTRAINT emp_emp_id_pk PRIMARY KEY (employee_id)
      , CONSTRAINT emp_dept_fk FOREIGN KEY (department_id) REFERENCES departments
      , CONSTRAINT emp_job_fk FOREIGN KEY (job_id) REFERENCES jobs (job_id)
      , CONSTRAINT emp_manager_fk FOREIGN KEY (manager_id) REFERENCES employees );

ALTER TABLE departments
  ADD ( CONSTRAINT dept_mgr_fk FOREIGN KEY (manager_id) REFERENCES employees (employee_id) );

CREATE SEQUENCE employees_seq START WITH 207 INCREMENT BY 1 NOCACHE NOCYCLE;

CREATE TABLE job_history
  ( employee_id   NUMBER(6) CONSTRAINT jhist_employee_nn NOT NULL
  , start_date    DATE CONSTRAINT jhist_start_date_nn NOT NULL
  , end_date      DATE CONSTRAINT jhist_end_date_nn NOT NULL
  , job_id        VARCHAR2(10) CONSTRAINT jhist_job_nn NOT NULL
  , department_id NUMBER(4)
  , CONSTRAINT jhist_date_interval CHECK (end_date > start_date)
  );

CREATE UNIQUE INDEX jhist_emp_id_st_date_pk ON job_history (employee_id, start_date);

ALTER TABLE job_history
  ADD ( CONSTRAINT jhist_emp_id_st_date_pk PRIMARY KEY (employee_id, start_date)
      , CONSTRAINT jhist_job_fk FOREIGN KEY (job_id) REFERENCES jobs
      , CONSTRAINT jhist_emp_fk FOREIGN KEY (employee_id) REFERENCES employees
      , CONSTRAINT jhist_dept_fk FOREIGN KEY (department_id) REFERENCES departments );

CREATE OR REPLACE VIEW emp_details_view
  (employee_id, job_id, manager_id, department_id, location_id, country_id,
   first_name, last_name, salary, department_name, job_title, city, country_name, region_name)
AS SELECT e.employee_id, e.job_id, e.manager_id, e.department_id, d.location_id, l.country_id,
          e.first_name, e.last_name, e.salary, d.department_name, j.job_title, l.city,
          c.country_name, r.region_name
   FROM employees e, departments d, jobs j, locations l, countries c, regions r
   WHERE e.department_id = d.department_id
     AND d.location_id = l.location_id
     AND l.country_id = c.country_id
     AND c.region_id = r.region_id
     AND j.job_id = e.job_id;

COMMENT ON TABLE regions IS 'Regions, each holding a number of countries.';
COMMENT ON COLUMN regions.region_id IS 'Primary key of the regions table.';
COMMENT ON TABLE employees IS 'Employees, with their job, salary and department.';
COMMENT ON COLUMN employees.salary IS 'Monthly salary; must be more than zero.';
COMMENT ON COLUMN employees.commission_pct IS 'Share of sales paid as commission.';

ALTER SESSION SET NLS_DATE_FORMAT = 'DD-MON-YYYY';

INSERT INTO regions VALUES (1, 'Europe');
INSERT INTO regions VALUES (2, 'Americas');
INSERT INTO regions VALUES (3, 'Asia');

INSERT INTO countries VALUES ('UK', 'United Kingdom', 1);
INSERT INTO countries VALUES ('IT', 'Italy', 1);
INSERT INTO countries VALUES ('US', 'United States of America', 2);
INSERT INTO countries VALUES ('JP', 'Japan', 3);

INSERT INTO locations VALUES (locations_seq.NEXTVAL, '8204 Arthur St', NULL, 'London', NULL, 'UK');
INSERT INTO locations VALUES (locations_seq.NEXTVAL, '1297 Via Cola di Rie', '00989', 'Roma', NULL, 'IT');
INSERT INTO locations VALUES (locations_seq.NEXTVAL, '2014 Jabberwocky Rd', '26192', 'Southlake', 'Texas', 'US');

ALTER TABLE departments DISABLE CONSTRAINT dept_mgr_fk;

INSERT INTO departments VALUES (departments_seq.NEXTVAL, 'Administration', 200, 1300);
INSERT INTO departments VALUES (departments_seq.NEXTVAL, 'Marketing', 201, 1400);
INSERT INTO departments VALUES (departments_seq.NEXTVAL, 'Shipping', NULL, 1500);

INSERT INTO jobs VALUES ('AD_PRES', 'President', 20080, 40000);
INSERT INTO jobs VALUES ('MK_MAN', 'Marketing Manager', 9000, 15000);
INSERT INTO jobs VALUES ('SH_CLERK', 'Shipping Clerk', 2500, 5500);

INSERT INTO employees VALUES (200, 'Jennifer', 'Whalen', 'JWHALEN', '515.123.4444',
  TO_DATE('17-09-2003', 'DD-MM-YYYY'), 'AD_PRES', 24000, NULL, NULL, 280);
INSERT INTO employees VALUES (201, 'Michael', 'Hartstein', 'MHARTSTE', '515.123.5555',
  '17-FEB-2004', 'MK_MAN', 13000, NULL, 200, 290);
INSERT INTO employees VALUES (employees_seq.NEXTVAL, 'Pat', 'Fay', 'PFAY', '603.123.6666',
  TO_DATE('17 August 2005', 'DD Month YYYY'), 'SH_CLERK', 3000, .15, 201, 300);

INSERT INTO job_history VALUES (201, DATE '2001-02-17', DATE '2004-02-16', 'SH_CLERK', 300);
INSERT INTO job_history (employee_id, start_date, end_date, job_id, department_id)
  SELECT employee_id, TO_DATE('01/01/2004 08:30', 'MM/DD/YYYY HH24:MI'), hire_date, 'SH_CLERK', 300
  FROM employees WHERE employee_id = employees_seq.CURRVAL;

ALTER TABLE departments ENABLE CONSTRAINT dept_mgr_fk;

COMMIT;

CREATE OR REPLACE PROCEDURE add_job_history
  ( p_emp_id          job_history.employee_id%type
  , p_start_date      job_history.start_date%type
  , p_end_date        job_history.end_date%type
  , p_job_id          job_history.job_id%type
  , p_department_id   job_history.department_id%type
  )
IS
BEGIN
  INSERT INTO job_history (employee_id, start_date, end_date, job_id, department_id)
    VALUES (p_emp_id, p_start_date, p_end_date, p_job_id, p_department_id);
END add_job_history;
/

CREATE OR REPLACE TRIGGER update_job_history
  AFTER UPDATE OF job_id, department_id ON employees
  FOR EACH ROW
BEGIN
  add_job_history(:old.employee_id, :old.hire_date, sysdate, :old.job_id, :old.department_id);
END;
/

PROMPT ... the &schema_title schema is in place.
SET FEEDBACK ON
EXIT
