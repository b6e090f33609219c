-- Order reporting schema; contact db@vornish.example.com
/* Tables
   and views */
CREATE TABLE customers (
    id          INTEGER PRIMARY KEY,
    name        VARCHAR(100) NOT NULL,
    email       VARCHAR(200) UNIQUE,
    created_at  DATETIME DEFAULT CURRENT_TIMESTAMP
);

CREATE TABLE orders (
    id          INTEGER PRIMARY KEY,
    customer_id INTEGER REFERENCES customers(id),
    total       DECIMAL(10, 2) CHECK (total >= 0.0),
    status      CHAR(1) DEFAULT 'N'
);

INSERT INTO customers (id, name, email)
VALUES (1, 'O''Brien', 'ob@example.com'),
       (2, N'Zoë', NULL);

SELECT c.name,
       COUNT(o.id) AS "order count",
       SUM(o.total) AS [sum total],
       CASE
           WHEN SUM(o.total) > 1e3 THEN 'gold'
           ELSE 'standard'
       END AS level
FROM customers c
LEFT JOIN orders o ON o.customer_id = c.id
WHERE c.created_at > @since AND o.status <> 'X'
GROUP BY c.name
HAVING COUNT(o.id) > 0
ORDER BY 2 DESC;

CREATE PROCEDURE close_orders @days INT
AS
BEGIN
    UPDATE orders
       SET status = 'C'
     WHERE status = 'N' AND total < 0x10;
    IF @@ROWCOUNT = 0
    BEGIN
        PRINT 'nothing closed';
    END
END;
SELECT 'a string that is
never closed
